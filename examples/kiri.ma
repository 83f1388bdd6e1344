//Maya ASCII 2018ff08 scene
//Name: kiri.ma
//Last modified: Sat, Dec 05, 2026 04:00:00 PM
//Codeset: UTF-8
requires maya "2018ff08";
currentUnit -l centimeter -a degree -t film;
fileInfo "application" "maya";
fileInfo "product" "Maya 2018";
fileInfo "version" "2018";
fileInfo "cutIdentifier" "201804062215-77a9351045";
fileInfo "osv" "Linux";
createNode transform -s -n "persp";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000101";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 12 9 14 ;
	setAttr ".r" -type "double3" -24.938352729602379 40.599999999999994 0 ;
createNode camera -s -n "perspShape" -p "persp";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000102";
	setAttr -k off ".v" no;
	setAttr ".fl" 34.999999999999993;
	setAttr ".coi" 19.5;
	setAttr ".imn" -type "string" "persp";
	setAttr ".den" -type "string" "persp_depth";
	setAttr ".man" -type "string" "persp_mask";
	setAttr ".hc" -type "string" "viewSet -p %camera";
createNode transform -s -n "top";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000103";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 1000.1 0 ;
	setAttr ".r" -type "double3" -90 0 0 ;
createNode camera -s -n "topShape" -p "top";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000104";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "top";
	setAttr ".den" -type "string" "top_depth";
	setAttr ".man" -type "string" "top_mask";
	setAttr ".hc" -type "string" "viewSet -t %camera";
	setAttr ".o" yes;
createNode transform -s -n "front";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000105";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 0 1000.1 ;
createNode camera -s -n "frontShape" -p "front";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000106";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "front";
	setAttr ".den" -type "string" "front_depth";
	setAttr ".man" -type "string" "front_mask";
	setAttr ".hc" -type "string" "viewSet -f %camera";
	setAttr ".o" yes;
createNode transform -s -n "side";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000107";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 1000.1 0 0 ;
	setAttr ".r" -type "double3" 0 90 0 ;
createNode camera -s -n "sideShape" -p "side";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000108";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "side";
	setAttr ".den" -type "string" "side_depth";
	setAttr ".man" -type "string" "side_mask";
	setAttr ".hc" -type "string" "viewSet -s %camera";
	setAttr ".o" yes;
createNode transform -n "kiri";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000109";
createNode joint -n "hips" -p "kiri";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010A";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 1 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "spine" -p "hips";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010B";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 2 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "head" -p "spine";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010C";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0 1 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 3 0 1;
	setAttr ".radi" 0.3;
createNode joint -n "arm_L" -p "spine";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010D";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 0.6 0.8 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".jo" -type "double3" 0 0 -90 ;
	setAttr ".bps" -type "matrix" 0 -1 0 0 1 0 0 0
		 0 0 1 0 0.6 2.8 0 1;
	setAttr ".radi" 0.3;
createNode transform -n "body" -p "kiri";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010E";
createNode mesh -n "bodyShape" -p "body";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000010F";
	setAttr -k off ".v";
	setAttr -s 5 ".iog[0].og";
	setAttr ".iog[0].og[3].gcl" -type "componentList" 2 "f[8:15]" "f[18:19]";
	setAttr ".iog[0].og[4].gcl" -type "componentList" 2 "f[0:7]" "f[16:17]";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
createNode mesh -n "bodyShapeOrig" -p "body";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000110";
	setAttr -k off ".v";
	setAttr ".io" yes;
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr -s 12 ".uvst[0].uvsp[0:11]" -type "float2" 0 0 0.25 0 0.5 0 0.75 0 0 0.5 0.25 0.5 0.5 0.5 0.75 0.5 0 1 0.25 1 0.5 1 0.75 1;
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
	setAttr -s 12 ".vt[0:11]"  -0.5 0.8 0.5 0.5 0.8 0.5 0.5 0.8 -0.5 -0.5 0.8 -0.5 -0.5 2.3 0.5 0.5 2.3 0.5 0.5 2.3 -0.5 -0.5 2.3 -0.5 -0.5 3.8 0.5 0.5 3.8 0.5 0.5 3.8 -0.5 -0.5 3.8 -0.5;
	setAttr -s 30 ".ed[0:29]"  0 1 1 1 5 1 5 0 1 5 4 1 4 0 1 1 2 1 2 6 1 6 1 1 6 5 1 2 3 1 3 7 1 7 2 1 7 6 1 3 0 1 4 3 1 4 7 1 5 9 1 9 4 1 9 8 1 8 4 1 6 10 1 10 5 1 10 9 1 7 11 1 11 6 1 11 10 1 8 7 1 8 11 1 2 0 1 10 8 1;
	setAttr -s 20 -ch 60 ".fc[0:19]" -type "polyFaces" 
		f 3 0 1 2
		mu 0 3 0 1 5
		f 3 -3 3 4
		mu 0 3 0 5 4
		f 3 5 6 7
		mu 0 3 1 2 6
		f 3 -8 8 -2
		mu 0 3 1 6 5
		f 3 9 10 11
		mu 0 3 2 3 7
		f 3 -12 12 -7
		mu 0 3 2 7 6
		f 3 13 -5 14
		mu 0 3 3 0 4
		f 3 -15 15 -11
		mu 0 3 3 4 7
		f 3 -4 16 17
		mu 0 3 4 5 9
		f 3 -18 18 19
		mu 0 3 4 9 8
		f 3 -9 20 21
		mu 0 3 5 6 10
		f 3 -22 22 -17
		mu 0 3 5 10 9
		f 3 -13 23 24
		mu 0 3 6 7 11
		f 3 -25 25 -21
		mu 0 3 6 11 10
		f 3 -16 -20 26
		mu 0 3 7 4 8
		f 3 -27 27 -24
		mu 0 3 7 8 11
		f 3 -14 -10 28
		mu 0 3 0 3 2
		f 3 -29 -6 -1
		mu 0 3 0 2 1
		f 3 -19 -23 29
		mu 0 3 8 9 10
		f 3 -30 -26 -28
		mu 0 3 8 10 11;
	setAttr ".cd" -type "dataPolyComponent" Index_Data Edge 0 ;
	setAttr ".cvd" -type "dataPolyComponent" Index_Data Vertex 0 ;
	setAttr ".pd[0]" -type "dataPolyComponent" Index_Data UV 0 ;
	setAttr ".hfd" -type "dataPolyComponent" Index_Data Face 0 ;
createNode transform -n "bulge";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000111";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 3 0 0 ;
createNode mesh -n "bulgeShape" -p "bulge";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000112";
	setAttr -k off ".v";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr -s 12 ".uvst[0].uvsp[0:11]" -type "float2" 0 0 0.25 0 0.5 0 0.75 0 0 0.5 0.25 0.5 0.5 0.5 0.75 0.5 0 1 0.25 1 0.5 1 0.75 1;
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
	setAttr -s 12 ".vt[0:11]"  -0.5 0.8 0.5 0.5 0.8 0.5 0.5 0.8 -0.5 -0.5 0.8 -0.5 -0.675 2.3 0.675 0.675 2.3 0.675 0.675 2.3 -0.675 -0.675 2.3 -0.675 -0.5 3.8 0.5 0.5 3.8 0.5 0.5 3.8 -0.5 -0.5 3.8 -0.5;
	setAttr -s 30 ".ed[0:29]"  0 1 1 1 5 1 5 0 1 5 4 1 4 0 1 1 2 1 2 6 1 6 1 1 6 5 1 2 3 1 3 7 1 7 2 1 7 6 1 3 0 1 4 3 1 4 7 1 5 9 1 9 4 1 9 8 1 8 4 1 6 10 1 10 5 1 10 9 1 7 11 1 11 6 1 11 10 1 8 7 1 8 11 1 2 0 1 10 8 1;
	setAttr -s 20 -ch 60 ".fc[0:19]" -type "polyFaces" 
		f 3 0 1 2
		mu 0 3 0 1 5
		f 3 -3 3 4
		mu 0 3 0 5 4
		f 3 5 6 7
		mu 0 3 1 2 6
		f 3 -8 8 -2
		mu 0 3 1 6 5
		f 3 9 10 11
		mu 0 3 2 3 7
		f 3 -12 12 -7
		mu 0 3 2 7 6
		f 3 13 -5 14
		mu 0 3 3 0 4
		f 3 -15 15 -11
		mu 0 3 3 4 7
		f 3 -4 16 17
		mu 0 3 4 5 9
		f 3 -18 18 19
		mu 0 3 4 9 8
		f 3 -9 20 21
		mu 0 3 5 6 10
		f 3 -22 22 -17
		mu 0 3 5 10 9
		f 3 -13 23 24
		mu 0 3 6 7 11
		f 3 -25 25 -21
		mu 0 3 6 11 10
		f 3 -16 -20 26
		mu 0 3 7 4 8
		f 3 -27 27 -24
		mu 0 3 7 8 11
		f 3 -14 -10 28
		mu 0 3 0 3 2
		f 3 -29 -6 -1
		mu 0 3 0 2 1
		f 3 -19 -23 29
		mu 0 3 8 9 10
		f 3 -30 -26 -28
		mu 0 3 8 10 11;
	setAttr ".cd" -type "dataPolyComponent" Index_Data Edge 0 ;
	setAttr ".cvd" -type "dataPolyComponent" Index_Data Vertex 0 ;
	setAttr ".pd[0]" -type "dataPolyComponent" Index_Data UV 0 ;
	setAttr ".hfd" -type "dataPolyComponent" Index_Data Face 0 ;
createNode transform -n "armGuard" -p "arm_L";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000113";
	setAttr ".t" -type "double3" 0 0.4 0 ;
createNode mesh -n "armGuardShape" -p "armGuard";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000114";
	setAttr -k off ".v";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr -s 4 ".uvst[0].uvsp[0:3]" -type "float2" 0 0 1 0 0.5 1 0.5 0.5;
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
	setAttr -s 4 ".vt[0:3]"  0 0.3 0 -0.2 -0.1 0.2 0.2 -0.1 0.2 0 -0.1 -0.25;
	setAttr -s 6 ".ed[0:5]"  0 1 1 1 2 1 2 0 1 2 3 1 3 0 1 3 1 1;
	setAttr -s 4 -ch 12 ".fc[0:3]" -type "polyFaces" 
		f 3 0 1 2
		mu 0 3 0 1 2
		f 3 -3 3 4
		mu 0 3 0 2 3
		f 3 -5 5 -1
		mu 0 3 0 3 1
		f 3 -6 -4 -2
		mu 0 3 1 3 2;
	setAttr ".cd" -type "dataPolyComponent" Index_Data Edge 0 ;
	setAttr ".cvd" -type "dataPolyComponent" Index_Data Vertex 0 ;
	setAttr ".pd[0]" -type "dataPolyComponent" Index_Data UV 0 ;
	setAttr ".hfd" -type "dataPolyComponent" Index_Data Face 0 ;
createNode transform -n "keyLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000115";
	setAttr ".t" -type "double3" 3 4 5 ;
createNode pointLight -n "keyLightShape" -p "keyLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000116";
	setAttr -k off ".v";
	setAttr ".cl" -type "float3" 1 0.94999999 0.89999998 ;
	setAttr ".in" 1.2;
createNode transform -n "rimLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000117";
	setAttr ".t" -type "double3" -4 5 -3 ;
	setAttr ".r" -type "double3" -40 -130 0 ;
createNode spotLight -n "rimLightShape" -p "rimLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000118";
	setAttr -k off ".v";
	setAttr ".cl" -type "float3" 0.60000002 0.75 1 ;
	setAttr ".in" 0.80000001;
	setAttr ".ca" 35;
	setAttr ".dro" 2;
createNode transform -n "sunLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000119";
	setAttr ".r" -type "double3" -50 30 0 ;
createNode directionalLight -n "sunLightShape" -p "sunLight";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011A";
	setAttr -k off ".v";
	setAttr ".in" 0.60000002;
createNode transform -n "shotCam";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011B";
	setAttr ".t" -type "double3" 0 2.5 12 ;
createNode camera -n "shotCamShape" -p "shotCam";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011C";
	setAttr -k off ".v";
	setAttr ".rnd" no;
	setAttr ".fl" 50;
	setAttr ".coi" 12;
	setAttr ".imn" -type "string" "shotCam";
	setAttr ".den" -type "string" "shotCam_depth";
	setAttr ".man" -type "string" "shotCam_mask";
createNode lightLinker -s -n "lightLinker1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011D";
	setAttr -s 4 ".lnk";
	setAttr -s 4 ".slnk";
createNode shapeEditorManager -n "shapeEditorManager";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011E";
createNode poseInterpolatorManager -n "poseInterpolatorManager";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000011F";
createNode displayLayerManager -n "layerManager";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000120";
createNode displayLayer -n "defaultLayer";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000121";
createNode renderLayerManager -n "renderLayerManager";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000122";
createNode renderLayer -n "defaultRenderLayer";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000123";
	setAttr ".g" yes;
createNode lambert -n "skinMat";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000124";
createNode shadingEngine -n "skinMatSG";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000125";
	setAttr ".ihi" 0;
	setAttr ".ro" yes;
createNode materialInfo -n "materialInfo1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000126";
createNode file -n "skinTexture";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000127";
	setAttr ".ftn" -type "string" "kiri_skin.tga";
	setAttr ".cs" -type "string" "sRGB";
createNode place2dTexture -n "place2dTexture1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000128";
createNode phong -n "metalMat";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000129";
	setAttr ".c" -type "float3" 0.60000002 0.62 0.64999998 ;
	setAttr ".sc" -type "float3" 0.89999998 0.89999998 0.89999998 ;
	setAttr ".cp" 30;
createNode shadingEngine -n "metalMatSG";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012A";
	setAttr ".ihi" 0;
	setAttr ".ro" yes;
createNode materialInfo -n "materialInfo2";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012B";
createNode blendShape -n "blendShape1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012C";
	addAttr -ci true -h true -sn "aal" -ln "attributeAliasList" -dt "attributeAlias";
	setAttr ".w[0]"  0;
	setAttr ".mlid" 0;
	setAttr ".mlpr" 0;
	setAttr ".pndr[0]"  0;
	setAttr ".tgdt[0].cid" -type "Int32Array" 1 0 ;
	setAttr ".aal" -type "attributeAlias" {"bulge","weight[0]"} ;
createNode tweak -n "tweak1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012D";
createNode skinCluster -n "skinCluster1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012E";
	setAttr -s 12 ".wl";
	setAttr ".wl[0:11].w"
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7
		2 1 0.3 2 0.7;
	setAttr -s 3 ".pm";
	setAttr ".pm[0]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -1 0 1;
	setAttr ".pm[1]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -2 0 1;
	setAttr ".pm[2]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 -3 0 1;
	setAttr ".gm" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 0 0 1;
	setAttr -s 3 ".ma";
	setAttr -s 3 ".dpf[0:2]"  4 4 4;
	setAttr -s 3 ".lw";
	setAttr -s 3 ".lw";
	setAttr ".mmi" yes;
	setAttr ".mi" 3;
	setAttr ".ucm" yes;
createNode objectSet -n "blendShape1Set";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000012F";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode objectSet -n "tweakSet1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000130";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode objectSet -n "skinCluster1Set";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000131";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode groupId -n "blendShape1GroupId";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000132";
	setAttr ".ihi" 0;
createNode groupId -n "groupId2";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000133";
	setAttr ".ihi" 0;
createNode groupId -n "skinCluster1GroupId";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000134";
	setAttr ".ihi" 0;
createNode groupParts -n "blendShape1GroupParts";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000135";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode groupParts -n "groupParts2";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000136";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode groupParts -n "skinCluster1GroupParts";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000137";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode groupId -n "groupId4";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000138";
	setAttr ".ihi" 0;
createNode groupId -n "groupId5";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA00000139";
	setAttr ".ihi" 0;
createNode dagPose -n "bindPose1";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000013A";
	setAttr -s 4 ".wm";
	setAttr ".wm[0]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 1 0 1;
	setAttr ".wm[1]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 2 0 1;
	setAttr ".wm[2]" -type "matrix" 1 0 0 0 0 1 0 0
		 0 0 1 0 0 3 0 1;
	setAttr ".wm[3]" -type "matrix" 0 -1 0 0 1 0 0 0
		 0 0 1 0 0.6 2.8 0 1;
	setAttr -s 4 ".xm";
	setAttr ".xm[0]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[1]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[2]" -type "matrix" "xform" 1 1 1 0 0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[3]" -type "matrix" "xform" 1 1 1 0 0 0 0 0.6 0.8 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 -0.7071067812 0.7071067812 1 1 1 yes;
	setAttr -s 4 ".m";
	setAttr -s 4 ".p";
	setAttr ".bp" yes;
createNode script -n "sceneConfigurationScriptNode";
	rename -uid "4B1E0000-0000-4B1E-5C1A-F1AA0000013B";
	setAttr ".b" -type "string" "playbackOptions -min 1 -max 24 -ast 1 -aet 48 ";
	setAttr ".st" 6;
select -ne :time1;
	setAttr ".o" 1;
	setAttr ".unw" 1;
select -ne :renderPartition;
	setAttr -s 4 ".st";
select -ne :renderGlobalsList1;
select -ne :defaultShaderList1;
	setAttr -s 4 ".s";
select -ne :postProcessList1;
	setAttr -s 2 ".p";
select -ne :defaultRenderUtilityList1;
select -ne :defaultRenderingList1;
select -ne :lightList1;
	setAttr -s 3 ".l";
select -ne :defaultTextureList1;
select -ne :initialShadingGroup;
	setAttr ".ro" yes;
select -ne :initialParticleSE;
	setAttr ".ro" yes;
select -ne :defaultLightSet;
	setAttr -s 3 ".dsm";
connectAttr "blendShape1GroupId.id" "bodyShape.iog.og[0].gid";
connectAttr "blendShape1Set.mwc" "bodyShape.iog.og[0].gco";
connectAttr "groupId2.id" "bodyShape.iog.og[1].gid";
connectAttr "tweakSet1.mwc" "bodyShape.iog.og[1].gco";
connectAttr "skinCluster1GroupId.id" "bodyShape.iog.og[2].gid";
connectAttr "skinCluster1Set.mwc" "bodyShape.iog.og[2].gco";
connectAttr "groupId4.id" "bodyShape.iog.og[3].gid";
connectAttr "skinMatSG.mwc" "bodyShape.iog.og[3].gco";
connectAttr "groupId5.id" "bodyShape.iog.og[4].gid";
connectAttr "metalMatSG.mwc" "bodyShape.iog.og[4].gco";
connectAttr "skinCluster1.og[0]" "bodyShape.i";
connectAttr "tweak1.vl[0].vt[0]" "bodyShape.twl";
connectAttr "hips.msg" "bindPose1.m[0]";
connectAttr "spine.msg" "bindPose1.m[1]";
connectAttr "head.msg" "bindPose1.m[2]";
connectAttr "arm_L.msg" "bindPose1.m[3]";
connectAttr "bindPose1.w" "bindPose1.p[0]";
connectAttr "bindPose1.m[0]" "bindPose1.p[1]";
connectAttr "bindPose1.m[1]" "bindPose1.p[2]";
connectAttr "bindPose1.m[1]" "bindPose1.p[3]";
connectAttr "hips.bps" "bindPose1.wm[0]";
connectAttr "spine.bps" "bindPose1.wm[1]";
connectAttr "head.bps" "bindPose1.wm[2]";
connectAttr "arm_L.bps" "bindPose1.wm[3]";
connectAttr "hips.s" "spine.is";
connectAttr "spine.s" "head.is";
connectAttr "spine.s" "arm_L.is";
relationship "link" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" "skinMatSG.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" "metalMatSG.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" "skinMatSG.message" ":defaultLightSet.message";
relationship "shadowLink" ":lightLinker1" "metalMatSG.message" ":defaultLightSet.message";
connectAttr "layerManager.dli[0]" "defaultLayer.id";
connectAttr "renderLayerManager.rlmi[0]" "defaultRenderLayer.rlid";
connectAttr "blendShape1GroupParts.og" "blendShape1.ip[0].ig";
connectAttr "blendShape1GroupId.id" "blendShape1.ip[0].gi";
connectAttr "bulgeShape.w" "blendShape1.it[0].itg[0].iti[6000].igt";
connectAttr "groupParts2.og" "tweak1.ip[0].ig";
connectAttr "groupId2.id" "tweak1.ip[0].gi";
connectAttr "skinCluster1GroupParts.og" "skinCluster1.ip[0].ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1.ip[0].gi";
connectAttr "bindPose1.msg" "skinCluster1.bp";
connectAttr "hips.wm" "skinCluster1.ma[0]";
connectAttr "hips.liw" "skinCluster1.lw[0]";
connectAttr "hips.obcc" "skinCluster1.ifcl[0]";
connectAttr "spine.wm" "skinCluster1.ma[1]";
connectAttr "spine.liw" "skinCluster1.lw[1]";
connectAttr "spine.obcc" "skinCluster1.ifcl[1]";
connectAttr "head.wm" "skinCluster1.ma[2]";
connectAttr "head.liw" "skinCluster1.lw[2]";
connectAttr "head.obcc" "skinCluster1.ifcl[2]";
connectAttr "blendShape1GroupId.msg" "blendShape1Set.gn" -na;
connectAttr "bodyShape.iog.og[0]" "blendShape1Set.dsm" -na;
connectAttr "blendShape1.msg" "blendShape1Set.ub[0]";
connectAttr "groupId2.msg" "tweakSet1.gn" -na;
connectAttr "bodyShape.iog.og[1]" "tweakSet1.dsm" -na;
connectAttr "tweak1.msg" "tweakSet1.ub[0]";
connectAttr "skinCluster1GroupId.msg" "skinCluster1Set.gn" -na;
connectAttr "bodyShape.iog.og[2]" "skinCluster1Set.dsm" -na;
connectAttr "skinCluster1.msg" "skinCluster1Set.ub[0]";
connectAttr "bodyShapeOrig.w" "blendShape1GroupParts.ig";
connectAttr "blendShape1GroupId.id" "blendShape1GroupParts.gi";
connectAttr "blendShape1.og[0]" "groupParts2.ig";
connectAttr "groupId2.id" "groupParts2.gi";
connectAttr "tweak1.og[0]" "skinCluster1GroupParts.ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1GroupParts.gi";
connectAttr "skinTexture.oc" "skinMat.c";
connectAttr "skinMat.oc" "skinMatSG.ss";
connectAttr "metalMat.oc" "metalMatSG.ss";
connectAttr "groupId4.msg" "skinMatSG.gn" -na;
connectAttr "bodyShape.iog.og[3]" "skinMatSG.dsm" -na;
connectAttr "groupId5.msg" "metalMatSG.gn" -na;
connectAttr "bodyShape.iog.og[4]" "metalMatSG.dsm" -na;
connectAttr "armGuardShape.iog" "metalMatSG.dsm" -na;
connectAttr "skinMatSG.msg" "materialInfo1.sg";
connectAttr "skinMat.msg" "materialInfo1.m";
connectAttr "skinTexture.msg" "materialInfo1.t" -na;
connectAttr "metalMatSG.msg" "materialInfo2.sg";
connectAttr "metalMat.msg" "materialInfo2.m";
connectAttr "place2dTexture1.c" "skinTexture.c";
connectAttr "place2dTexture1.tf" "skinTexture.tf";
connectAttr "place2dTexture1.rf" "skinTexture.rf";
connectAttr "place2dTexture1.mu" "skinTexture.mu";
connectAttr "place2dTexture1.mv" "skinTexture.mv";
connectAttr "place2dTexture1.s" "skinTexture.s";
connectAttr "place2dTexture1.wu" "skinTexture.wu";
connectAttr "place2dTexture1.wv" "skinTexture.wv";
connectAttr "place2dTexture1.re" "skinTexture.re";
connectAttr "place2dTexture1.of" "skinTexture.of";
connectAttr "place2dTexture1.r" "skinTexture.ro";
connectAttr "place2dTexture1.n" "skinTexture.n";
connectAttr "place2dTexture1.vt1" "skinTexture.vt1";
connectAttr "place2dTexture1.vt2" "skinTexture.vt2";
connectAttr "place2dTexture1.vt3" "skinTexture.vt3";
connectAttr "place2dTexture1.vc1" "skinTexture.vc1";
connectAttr "place2dTexture1.o" "skinTexture.uv";
connectAttr "place2dTexture1.ofs" "skinTexture.fs";
connectAttr "skinMatSG.pa" ":renderPartition.st" -na;
connectAttr "metalMatSG.pa" ":renderPartition.st" -na;
connectAttr "skinMat.msg" ":defaultShaderList1.s" -na;
connectAttr "metalMat.msg" ":defaultShaderList1.s" -na;
connectAttr "place2dTexture1.msg" ":defaultRenderUtilityList1.u" -na;
connectAttr "defaultRenderLayer.msg" ":defaultRenderingList1.r" -na;
connectAttr "keyLightShape.ltd" ":lightList1.l" -na;
connectAttr "rimLightShape.ltd" ":lightList1.l" -na;
connectAttr "sunLightShape.ltd" ":lightList1.l" -na;
connectAttr "skinTexture.msg" ":defaultTextureList1.tx" -na;
connectAttr "keyLight.iog" ":defaultLightSet.dsm" -na;
connectAttr "rimLight.iog" ":defaultLightSet.dsm" -na;
connectAttr "sunLight.iog" ":defaultLightSet.dsm" -na;
// End of kiri.ma
