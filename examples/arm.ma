//Maya ASCII 2019 scene
//Name: arm.ma
//Last modified: Sat, Dec 05, 2026 04:00:00 PM
//Codeset: UTF-8
requires maya "2019";
currentUnit -l centimeter -a degree -t film;
fileInfo "application" "maya";
fileInfo "product" "Maya 2019";
fileInfo "version" "2019";
fileInfo "osv" "Linux";
createNode transform -s -n "persp";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000201";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 7.5 5 12 ;
	setAttr ".r" -type "double3" -18 32 0 ;
createNode camera -s -n "perspShape" -p "persp";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000202";
	setAttr -k off ".v" no;
	setAttr ".fl" 34.999999999999993;
	setAttr ".coi" 14.5;
	setAttr ".imn" -type "string" "persp";
	setAttr ".den" -type "string" "persp_depth";
	setAttr ".man" -type "string" "persp_mask";
	setAttr ".hc" -type "string" "viewSet -p %camera";
createNode transform -s -n "top";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000203";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 1000.1 0 ;
	setAttr ".r" -type "double3" -90 0 0 ;
createNode camera -s -n "topShape" -p "top";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000204";
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
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000205";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 0 0 1000.1 ;
createNode camera -s -n "frontShape" -p "front";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000206";
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
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000207";
	setAttr ".v" no;
	setAttr ".t" -type "double3" 1000.1 0 0 ;
	setAttr ".r" -type "double3" 0 90 0 ;
createNode camera -s -n "sideShape" -p "side";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000208";
	setAttr -k off ".v" no;
	setAttr ".rnd" no;
	setAttr ".coi" 1000.1;
	setAttr ".ow" 30;
	setAttr ".imn" -type "string" "side";
	setAttr ".den" -type "string" "side_depth";
	setAttr ".man" -type "string" "side_mask";
	setAttr ".hc" -type "string" "viewSet -s %camera";
	setAttr ".o" yes;
createNode joint -n "shoulder";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000209";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" -3 0 0 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 -3 0 0 1;
	setAttr ".radi" 0.6;
createNode joint -n "elbow" -p "shoulder";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020A";
	addAttr -ci true -sn "liw" -ln "lockInfluenceWeights" -min 0 -max 1 -at "bool";
	setAttr ".t" -type "double3" 3 0 0 ;
	setAttr ".r" -type "double3" 0 0 35 ;
	setAttr ".mnrl" -type "double3" -360 -360 -360 ;
	setAttr ".mxrl" -type "double3" 360 360 360 ;
	setAttr ".bps" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1;
	setAttr ".radi" 0.6;
createNode transform -n "arm";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020B";
createNode mesh -n "armShape" -p "arm";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020C";
	setAttr -k off ".v";
	setAttr -s 3 ".iog[0].og";
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
createNode mesh -n "armShapeOrig" -p "arm";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020D";
	setAttr -k off ".v";
	setAttr ".io" yes;
	setAttr ".vir" yes;
	setAttr ".vif" yes;
	setAttr ".uvst[0].uvsn" -type "string" "map1";
	setAttr ".cuvs" -type "string" "map1";
	setAttr ".dcc" -type "string" "Ambient+Diffuse";
createNode transform -n "keyLight";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020E";
	setAttr ".r" -type "double3" -40 35 0 ;
createNode directionalLight -n "keyLightShape" -p "keyLight";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000020F";
	setAttr -k off ".v";
	setAttr ".in" 0.9;
createNode lightLinker -s -n "lightLinker1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000210";
	setAttr -s 3 ".lnk";
	setAttr -s 3 ".slnk";
createNode shapeEditorManager -n "shapeEditorManager";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000211";
createNode poseInterpolatorManager -n "poseInterpolatorManager";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000212";
createNode displayLayerManager -n "layerManager";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000213";
createNode displayLayer -n "defaultLayer";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000214";
createNode renderLayerManager -n "renderLayerManager";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000215";
createNode renderLayer -n "defaultRenderLayer";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000216";
	setAttr ".g" yes;
createNode polyCylinder -n "polyCylinder1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000217";
	setAttr ".ax" -type "double3" 1 0 0 ;
	setAttr ".r" 0.5;
	setAttr ".h" 6;
	setAttr ".sa" 12;
	setAttr ".sh" 6;
	setAttr ".sc" 1;
	setAttr ".cuv" 3;
createNode lambert -n "sleeveMat";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000218";
	setAttr ".c" -type "float3" 0.2 0.45 0.85 ;
createNode shadingEngine -n "sleeveMatSG";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000219";
	setAttr ".ihi" 0;
	setAttr ".ro" yes;
createNode materialInfo -n "materialInfo1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021A";
createNode tweak -n "tweak1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021B";
createNode skinCluster -n "skinCluster1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021C";
	setAttr -s 86 ".wl";
	setAttr ".wl[0:85].w"
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		1 0 1
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		2 0 0.5 1 0.5
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 1 1
		1 0 1
		1 1 1;
	setAttr -s 2 ".pm";
	setAttr ".pm[0]" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 3 0 0 1;
	setAttr ".pm[1]" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1;
	setAttr ".gm" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1;
	setAttr -s 2 ".ma";
	setAttr -s 2 ".dpf[0:1]"  4 4;
	setAttr -s 2 ".lw";
	setAttr ".mmi" yes;
	setAttr ".mi" 2;
	setAttr ".ucm" yes;
createNode objectSet -n "tweakSet1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021D";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode objectSet -n "skinCluster1Set";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021E";
	setAttr ".ihi" 0;
	setAttr ".vo" yes;
createNode groupId -n "groupId1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA0000021F";
	setAttr ".ihi" 0;
createNode groupId -n "skinCluster1GroupId";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000220";
	setAttr ".ihi" 0;
createNode groupParts -n "groupParts1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000221";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode groupParts -n "skinCluster1GroupParts";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000222";
	setAttr ".ihi" 0;
	setAttr ".ic" -type "componentList" 1 "vtx[*]";
createNode dagPose -n "bindPose1";
	rename -uid "A4A30000-0000-4B1E-5C1A-F1AA00000223";
	setAttr -s 2 ".wm";
	setAttr ".wm[0]" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 -3 0 0 1;
	setAttr ".wm[1]" -type "matrix" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1;
	setAttr -s 2 ".xm";
	setAttr ".xm[0]" -type "matrix" "xform" 1 1 1 0 0 0 0 -3 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr ".xm[1]" -type "matrix" "xform" 1 1 1 0 0 0 0 3 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 0 0 0 1 1 1 1 yes;
	setAttr -s 2 ".m";
	setAttr -s 2 ".p";
	setAttr ".bp" yes;
select -ne :time1;
	setAttr ".o" 1;
	setAttr ".unw" 1;
select -ne :renderPartition;
	setAttr -s 3 ".st";
select -ne :defaultShaderList1;
	setAttr -s 3 ".s";
select -ne :initialShadingGroup;
	setAttr ".ro" yes;
select -ne :initialParticleSE;
	setAttr ".ro" yes;
select -ne :defaultLightSet;
	setAttr -s 1 ".dsm";
connectAttr "groupId1.id" "armShape.iog.og[0].gid";
connectAttr "tweakSet1.mwc" "armShape.iog.og[0].gco";
connectAttr "skinCluster1GroupId.id" "armShape.iog.og[1].gid";
connectAttr "skinCluster1Set.mwc" "armShape.iog.og[1].gco";
connectAttr "skinCluster1.og[0]" "armShape.i";
connectAttr "tweak1.vl[0].vt[0]" "armShape.twl";
connectAttr "polyCylinder1.out" "armShapeOrig.i";
connectAttr "shoulder.s" "elbow.is";
connectAttr "shoulder.msg" "bindPose1.m[0]";
connectAttr "elbow.msg" "bindPose1.m[1]";
connectAttr "bindPose1.w" "bindPose1.p[0]";
connectAttr "bindPose1.m[0]" "bindPose1.p[1]";
connectAttr "shoulder.bps" "bindPose1.wm[0]";
connectAttr "elbow.bps" "bindPose1.wm[1]";
relationship "link" ":lightLinker1" ":initialShadingGroup.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" ":initialParticleSE.message" ":defaultLightSet.message";
relationship "link" ":lightLinker1" "sleeveMatSG.message" ":defaultLightSet.message";
connectAttr "layerManager.dli[0]" "defaultLayer.id";
connectAttr "renderLayerManager.rlmi[0]" "defaultRenderLayer.rlid";
connectAttr "groupParts1.og" "tweak1.ip[0].ig";
connectAttr "groupId1.id" "tweak1.ip[0].gi";
connectAttr "skinCluster1GroupParts.og" "skinCluster1.ip[0].ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1.ip[0].gi";
connectAttr "bindPose1.msg" "skinCluster1.bp";
connectAttr "shoulder.wm" "skinCluster1.ma[0]";
connectAttr "shoulder.liw" "skinCluster1.lw[0]";
connectAttr "shoulder.obcc" "skinCluster1.ifcl[0]";
connectAttr "elbow.wm" "skinCluster1.ma[1]";
connectAttr "elbow.liw" "skinCluster1.lw[1]";
connectAttr "elbow.obcc" "skinCluster1.ifcl[1]";
connectAttr "groupId1.msg" "tweakSet1.gn" -na;
connectAttr "armShape.iog.og[0]" "tweakSet1.dsm" -na;
connectAttr "tweak1.msg" "tweakSet1.ub[0]";
connectAttr "skinCluster1GroupId.msg" "skinCluster1Set.gn" -na;
connectAttr "armShape.iog.og[1]" "skinCluster1Set.dsm" -na;
connectAttr "skinCluster1.msg" "skinCluster1Set.ub[0]";
connectAttr "armShapeOrig.w" "groupParts1.ig";
connectAttr "groupId1.id" "groupParts1.gi";
connectAttr "tweak1.og[0]" "skinCluster1GroupParts.ig";
connectAttr "skinCluster1GroupId.id" "skinCluster1GroupParts.gi";
connectAttr "sleeveMat.oc" "sleeveMatSG.ss";
connectAttr "armShape.iog" "sleeveMatSG.dsm" -na;
connectAttr "sleeveMatSG.msg" "materialInfo1.sg";
connectAttr "sleeveMat.msg" "materialInfo1.m";
connectAttr "sleeveMatSG.pa" ":renderPartition.st" -na;
connectAttr "sleeveMat.msg" ":defaultShaderList1.s" -na;
connectAttr "defaultRenderLayer.msg" ":defaultRenderingList1.r" -na;
connectAttr "keyLightShape.ltd" ":lightList1.l" -na;
connectAttr "keyLight.iog" ":defaultLightSet.dsm" -na;
// End of arm.ma
